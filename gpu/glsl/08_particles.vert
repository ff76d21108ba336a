layout(std430,binding=0) buffer B0{vec4 P[];};
layout(std430,binding=2) buffer B2{vec4 Q[];};
out vec3 vc;
const float PB[9]=float[](0.,8.,16.,24.,40.,48.,64.,72.,88.);
const vec3 PA[9]=vec3[](vec3(1,.55,.2),vec3(.2,.7,1),vec3(.25,.45,1),vec3(1,.5,.15),vec3(.55,.35,1),vec3(1,.75,.4),vec3(1,.7,.35),vec3(.3,.85,1),vec3(1,.55,.25)),
 PC[9]=vec3[](vec3(1,.85,.6),vec3(1,.3,.8),vec3(.5,.9,1),vec3(1,.25,.6),vec3(.3,.7,1),vec3(.3,.8,1),vec3(.7,.4,1),vec3(1,.3,.75),vec3(1,.8,.6));
vec3 palette(float bar,float r){int i=0;for(int k=1;k<9;k++)if(bar>=PB[k])i=k;return r<.7?PA[i]:PC[i];}
void main(){
 int id=gl_VertexID>>1;
 vec4 P0=P[id];
 vec3 p=P0.xyz,q=Q[id].xyz,ro,ta;
 float fl,lit=P0.w;
 bool under=p.y<=FLOOR;
 if(MIRROR>.5){p.y=2.*FLOOR-p.y;q.y=2.*FLOOR-q.y;}
 camera(BAR,ro,ta,fl);
 mat3 M=transpose(cam(ro,ta,0.));
 vec3 a=M*(p-ro),b=M*(q-ro);
 gl_Position=vec4(2,2,2,1);vc=vec3(0);
 if(a.z<.05||b.z<.05||under)return;
 float px=2./RES.y,r=float(pcg(uint(id))&1023u)/1023.,spd=length(p-q)/max(DT,.001);
 vec2 sa=a.xy/a.z*fl,sb=b.xy/b.z*fl,dv=sb-sa;
 float L=length(dv);
 if(L<1.3*px)sb=sa+1.3*px*(L>1e-6?dv/L:vec2(1,0));
 vec2 s=(gl_VertexID&1)==1?sb:sa;
 gl_Position=vec4(s.x/ASPECT,s.y,0,1);
 vec3 c=palette(BAR,r);
 if(BAR<2.)c=mix(vec3(.25,.1,.03),vec3(1,.75,.4),float(exeByte(((id>>12)&255)*256+((id&1023)>>2)))/255.);
 if(shapeAt(BAR)==18)c=.6+.5*cos(.7*float(id&31)+vec3(0,2.1,4.2));
 c=mix(c,vec3(1.3,1.2,1.1),ss(4.,16.,spd));
 float e=.055*(1.+.5*LEAD+.2*HAT)/max(L/px,1.3)*(r>.96?5.:.5+.6*r)/(1.+.004*a.z*a.z)*(.18+.82*lit*lit);
 c=mix(c*vec3(.55,.65,1),c,lit);
 if(MIRROR>.5)e*=.22*exp(-.6*(P0.y-FLOOR));
 vc=c*e;
}
