layout(local_size_x=4,local_size_y=4,local_size_z=4) in;
void main(){
 ivec3 c=ivec3(gl_GlobalInvocationID);
 if(PP.w<.5){imageStore(GD,c,uvec4(0));return;}
 if(c.y!=0)return;
 float s=0.;
 for(int y=63;y>=0;y--){
  ivec3 q=ivec3(c.x,y,c.z);
  uint n=imageLoad(GD,q).r+(c.x<63?imageLoad(GD,q+ivec3(1,0,0)).r:0u)+(c.z<63?imageLoad(GD,q+ivec3(0,0,1)).r:0u);
  s+=.33*float(n);
  imageStore(GL,q,vec4(exp(-.006*s)));
 }
}
