layout(std430,binding=0) buffer B0{vec4 P[];};
out float vz;
void main(){
 vec3 p=P[gl_VertexID*4].xyz,ro,ta;float fl;camera(BAR,ro,ta,fl);
 vec3 a=transpose(cam(ro,ta,0.))*(p-ro);
 vz=a.z;gl_PointSize=1.;gl_Position=vec4(2,2,2,1);
 if(a.z<.1||p.y<FLOOR)return;
 gl_Position=vec4(a.xy/a.z*fl/vec2(ASPECT,1),0,1);
 gl_PointSize=clamp(.11*fl/a.z*RES.y,1.,56.);
}
